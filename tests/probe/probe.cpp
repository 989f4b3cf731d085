// Prints the width of a pointer: "32" from the i686 build, "64" from the
// x86_64 one. Nothing is printed where the machine cannot run the program.
#include <cstdio>

int main()
{
    std::printf("%u\n", static_cast<unsigned>(sizeof(void*) * 8));
    return 0;
}
