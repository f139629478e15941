/* Compiles the public header as C: its static assertions pin every record's layout for a C
 * compiler too. */
#include "zelkor.h"
