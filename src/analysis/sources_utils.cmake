# utilities, handler table
