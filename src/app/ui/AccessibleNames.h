#pragma once

// What a screen reader hears for controls whose own text is no name: a drop-down list
// is named by its purpose (its accessible name), not by the line it shows, and the
// labels whose texts start with line breaks for their layout (the quote, the search's
// notice) are read without them; an empty one says nothing. Install once, before the
// window is built.
namespace AccessibleNames {

void Install();

} // namespace AccessibleNames
