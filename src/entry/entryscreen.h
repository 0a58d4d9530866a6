#pragma once

namespace tallic {

class Form;

// The entry window as designed: where each control stands and how it looks at start.
void buildEntryScreen(Form &window);

// A field keyed for every chit: blue caption with white text, the field in use.
void switchFieldOn(const Form &window, int index);

} // namespace tallic
