// The X server's own pointer for tests: moved with QCursor, its buttons (the left one
// unless told otherwise) pressed and released through the XTEST extension (libXtst, loaded at run time: only its shared
// library is installed), so that the server makes every event a user's pointer makes.
#pragma once

#include <QPoint>

class ServerPointer {
 public:
  ServerPointer();
  ~ServerPointer();
  ServerPointer(const ServerPointer&) = delete;
  ServerPointer& operator=(const ServerPointer&) = delete;
  bool Usable() const;
  // Each lets the application take in what the server sent.
  void Button(bool press, unsigned button = 1);
  void MoveTo(QPoint screen);

 private:
  void* display_ = nullptr;
  void* lib_ = nullptr;
  void* fake_ = nullptr;
};
