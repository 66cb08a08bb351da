# utility and handler tests
