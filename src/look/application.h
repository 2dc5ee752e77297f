#pragma once

namespace corvalo {

// Configures the QApplication just made, for the calculator, the store program and the tests
// alike: name and desktop id, style, look-alike faces, the quit rule (each program decides itself
// when it is done) and every install that holds for the whole process.
void setUpApplication();

} // namespace corvalo
