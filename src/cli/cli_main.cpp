#include <clocale>
#include <cstdio>

int main(int, char**) {
    std::setlocale(LC_ALL, "");
    std::puts("tamblix-cli " TAMBLIX_VERSION);
    return 0;
}
