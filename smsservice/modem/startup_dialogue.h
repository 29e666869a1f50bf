// The modem's start-up dialogue: checks the modem, the SIM, the signal and
// the network, and empties the message storage.
#pragma once

// Runs the whole dialogue on the open serial port; true when every step passed.
bool RunStartupDialogue();
