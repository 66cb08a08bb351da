int TamblixUiPlaceholder() {
    return 0;
}
