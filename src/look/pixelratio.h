#pragma once

namespace corvalo {

// Has every window follow a change of its screen's pixel ratio while the program runs (the
// desktop's scale changed): it keeps its size in logical pixels, so the layout keeps its twips,
// and is drawn again at the new ratio, its pictures in their rendering for it. Once per
// application: corvalo::setUpApplication() does it.
void followPixelRatio();

} // namespace corvalo
