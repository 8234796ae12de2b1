// An executable that carries a version block, for the version tests.
int main() { return 0; }
