#include <cstdio>

int main() {
    std::puts("turbex-sim: not yet wired");
    return 0;
}
