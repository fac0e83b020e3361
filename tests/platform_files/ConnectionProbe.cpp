// Exits with 0 when the connection detector says the machine is connected, else 1. Tests run it
// where they cannot change the network of their own process (a fresh network namespace).

#include "platform/ITZInternetConnectionDetector.h"

int main() { return ITZInternetConnectionDetector::Instance().IsConnected() ? 0 : 1; }
