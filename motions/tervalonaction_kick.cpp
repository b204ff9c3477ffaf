#include "decision/tervalonaction.h"

// Placeholder until the motion lands.
void Tervalonaction::kick_right() {}
void Tervalonaction::kick_left() {}
void Tervalonaction::kick_off() {}
