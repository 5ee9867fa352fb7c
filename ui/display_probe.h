// Whether a display server answers, asked before Qt connects: Qt aborts the whole
// process when no platform it tries can connect.
#pragma once

#include <QString>

#include <optional>

struct xcb_connection_t;

namespace corvala4 {

/// A connection to the platform's display server ("xcb", "wayland", or "" for the ones
/// QT_QPA_PLATFORM names), held while the object lives: an X server whose last client
/// leaves starts anew and refuses connections for a moment, so the probe stays
/// connected until Qt is.
class DisplayProbe {
 public:
  explicit DisplayProbe(const QString& platform);
  ~DisplayProbe();
  DisplayProbe(const DisplayProbe&) = delete;
  DisplayProbe& operator=(const DisplayProbe&) = delete;

  bool Answers() const { return answers_; }

 private:
  bool HoldX();

  xcb_connection_t* x_ = nullptr;
  bool answers_ = false;
};

/// The platform for an application of our own: "" for the one the user named in
/// QT_QPA_PLATFORM, "xcb" or "wayland" where its server answers, else none.
std::optional<QString> ReachablePlatform();

}  // namespace corvala4
