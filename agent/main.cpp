// Placeholder until the entry lands.
int main() { return 0; }
