#pragma once

namespace tallic {

class Arinput;

// The entry window as designed: where each control stands and how it looks at start.
void buildEntryScreen(Arinput &window);

// A field keyed for every chit: blue caption with white text, the field in use.
void switchFieldOn(const Arinput &window, int index);

} // namespace tallic
