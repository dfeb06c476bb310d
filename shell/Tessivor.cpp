#include <cstdio>

int main() {
    std::puts("Tessivor: the engine is built, but the program has no main window yet.");
    return 0;
}
