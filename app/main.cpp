// The program's entry. Arguments are ignored: the demo has nothing to
// configure. Everything else lives in the demo_core library.
#include "app/shell.h"

int main(int, char**) { return appMain(); }
