#pragma once
// A side pane's contents in a frameless area that scrolls up and down: a short screen (1024x768,
// with taller Chinese lines) scrolls the pane rather than pushing the window past its bottom.
class QWidget;

// Fills pPane with the scrolling area and returns the widget inside it, for the pane's layout.
QWidget* AddScrollingBody(QWidget* pPane);
