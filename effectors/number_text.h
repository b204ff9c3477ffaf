#ifndef TRAVONELQUIST_EFFECTORS_NUMBER_TEXT_H
#define TRAVONELQUIST_EFFECTORS_NUMBER_TEXT_H

// Numbers as the standard stream writes a double by default in the classic
// locale (printf's %g: general notation, six significant digits). Commands
// and the status dump write some eighty of them every cycle.

// Room that write_number may need.
const int kNumberTextMax = 32;

// Writes v at out and returns the end of what it wrote.
char* write_number(char* out, double v);

#endif
