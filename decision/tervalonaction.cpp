#include "decision/tervalonaction.h"

// Placeholder until the dispatcher lands.
Tervalonaction::Tervalonaction(boost::shared_ptr<Worldmodel> world) : Tervalonlib(world) {}
bool Tervalonaction::action() { init(); setangle(); return true; }
bool Tervalonaction::check_beam() { return false; }
void Tervalonaction::setOffense() {}
void Tervalonaction::setDefense() {}
