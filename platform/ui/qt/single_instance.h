// One running copy of a windowed program per user: the first start listens
// on a local socket named after the program and the user; a later start
// finds it, asks it to show its window, and ends.
#pragma once

#include <functional>
#include <memory>

#include <QString>

class QLocalServer;

class SingleInstance {
 public:
  // `program` names the socket together with the user's name.
  explicit SingleInstance(const QString& program);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when another copy answered and was asked to show itself: this one
  // should end. Otherwise this copy now holds the name.
  bool AnotherIsRunning();
  // Called on this copy's thread each time a later start asks it to show.
  void OnShowRequested(std::function<void()> show) { show_ = std::move(show); }

  const QString& socketName() const { return name_; }

 private:
  QString name_;
  std::unique_ptr<QLocalServer> server_;
  std::function<void()> show_;
};
