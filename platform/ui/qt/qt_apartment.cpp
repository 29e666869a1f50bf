#include "platform/ui/qt/qt_apartment.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include "platform/com/apartment.h"

void DrainApartmentFromQt(QObject* receiver) {
  auto apartment = com::Apartment::Current();
  if (!apartment) return;
  QPointer<QObject> guard(receiver);
  std::weak_ptr<com::Apartment> weak = apartment;
  apartment->SetWakeUp([guard, weak] {
    if (!guard) return;
    QMetaObject::invokeMethod(
        guard.data(),
        [weak] {
          if (auto alive = weak.lock()) alive->RunPending();
        },
        Qt::QueuedConnection);
  });
}
