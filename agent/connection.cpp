#include "agent/connection.h"

// Placeholder until the framing lands.
Connection::Connection(std::string host, int port) : host_(host), port_(port) {}
bool Connection::get_message(std::string&) { return false; }
void Connection::put_message(const std::string&) {}
bool Connection::select_input() { return true; }
void Connection::close() { socket_.close(); }
