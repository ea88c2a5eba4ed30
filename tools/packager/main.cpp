#include <iostream>

#include "Packager.h"
#include "Platform.h"

int main(int argc, char** argv) {
    packager::PrepareConsole();
    std::ios::sync_with_stdio(false);
    return packager::Run(packager::Utf8Arguments(argc, argv),
                         {std::cout, std::cerr, packager::StderrIsTerminal()});
}
