#include "decision/tervalonaction.h"

// Placeholder until the role lands.
void Tervalonaction::run() {}
