#include "Program.h"

int main() {
    return runProgram();
}
