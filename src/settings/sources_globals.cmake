# global data, lists, message table
