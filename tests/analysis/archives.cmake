# walker and archive tests
