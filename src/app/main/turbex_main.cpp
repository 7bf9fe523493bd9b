// turbex: the service tool's window. Takes no command-line options but
// --version.

#include "app/CTurbexApp.h"

int main(int argc, char** argv) {
    return TurbexMain(argc, argv);
}
