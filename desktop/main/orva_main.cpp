// Program entry.
#include "desktop/startup.h"

int main(int argc, char **argv) {
    return OrvaMain(argc, argv);
}
