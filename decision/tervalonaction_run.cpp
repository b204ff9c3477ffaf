#include <iostream>

#include "decision/tervalonaction.h"

// Walks straight ahead for ever, whatever the ball does.
void Tervalonaction::run()
{
    std::cout << "WALK\n";
    goto_pos_ = TVector3(20.0, 0.0, 0.0);
    state = WALK;
}
