#pragma once
// The contract between the core and the GTK presenter module, which is loaded only when a
// window must be shown so that runs without windows never load GTK.

namespace ui {

class Presenter;

/// File name of the module, beside the running executable.
inline constexpr const char* kGtkPresenterModuleName = "naib-gtk-presenter.so";
/// Name of the module's factory: returns a new presenter the caller owns, or null when
/// GTK cannot initialise (no display can be opened).
inline constexpr const char* kGtkPresenterFactoryName = "naib_create_gtk_presenter";
using GtkPresenterFactory = Presenter* (*)();

}  // namespace ui
