#include "decision/tervalonaction.h"

// Placeholder until the motion lands.
void Tervalonaction::standup_back() {}
void Tervalonaction::standup_forward() {}
bool Tervalonaction::check_standup() { return false; }
