// turbex: the service tool's window. Takes no command-line options.

#include "app/CTurbexApp.h"

int main(int argc, char** argv) {
    return TurbexMain(argc, argv);
}
