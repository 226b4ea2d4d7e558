#include "shell/Entry.h"

int main(int argc, char** argv)
{
    return Entry::Run(argc, argv);
}
