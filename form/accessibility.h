#pragma once

// What the controls are to a screen reader where Qt cannot tell by itself.
namespace zs {

// Installs, once, the accessible interfaces of the controls' own widgets:
// container surfaces take the role their container gives them, and option
// buttons (Qt radio buttons without Qt's exclusivity, which the controls
// keep themselves) are radio buttons rather than check boxes.
void installAccessibility();

} // namespace zs
