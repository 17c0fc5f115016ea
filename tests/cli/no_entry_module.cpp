// A shared library that loads but is not the editor module: it has no DllMain.
extern "C" int NotTheEditor() { return 0; }
