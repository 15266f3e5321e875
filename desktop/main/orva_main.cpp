// Program entry; start-up lives in desktop/startup.cpp.
int main() { return 0; }
