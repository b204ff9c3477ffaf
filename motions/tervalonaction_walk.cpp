#include "decision/tervalonaction.h"

// Placeholder until the motion lands.
void Tervalonaction::walk() {}
