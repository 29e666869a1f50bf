// Lets the component model's events reach a Qt program: the calling
// thread's apartment is drained from the Qt event loop whenever a
// component posts to it, so events run on the user-interface thread.
#pragma once

class QObject;

// Call on the user-interface thread after com::CoInitialize; `receiver`
// must live as long as the apartment is in use.
void DrainApartmentFromQt(QObject* receiver);
