// SPDX-License-Identifier: MIT
#include <cstdio>

int main() {
    std::fputs("usage: skerrin COMMAND [ARG] [--json]\n", stderr);
    return 2;
}
