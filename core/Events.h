#pragma once

/// The names of the events that travel through ISubject and IObserver, in one
/// place, so that a sender and its receivers cannot drift apart by a letter.
/// The texts are fixed: stored files and older code know them as they stand.
///
/// Only code that needs no window sends named events: an aspect, an aspect
/// list and the registry announce their changes. The crop area is a plain
/// value that sends nothing; widgets and the main window talk through Qt
/// signals (the editor's and the frame's), and a frame's commands reach the
/// window through IFrameCommands.
namespace Events {

/// An aspect's sizes, unit or description changed; value: the ratio (double).
inline constexpr char AspectChanged[] = "AspectChanged";
/// A list changed, or relays one of its aspects' events; the registry relays it
/// too. Value: empty, the new name on a rename, or the relayed value.
inline constexpr char AspectListChanged[] = "AspectListChanged";
/// A list's default position moved; value: the new position (integer).
inline constexpr char NewDefaultAspect[] = "NewDefaultAspect";

} // namespace Events
