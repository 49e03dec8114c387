// DUNZIPS32.DLL: the module's exports are added with the issues that build them.
