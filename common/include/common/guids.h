#pragma once

// Class identifier of the shell extension, in registry form.
inline constexpr const char *kShellExtensionClsid = "{6F1C2B7A-3D4E-4B8A-9C21-5E7D8A0B1C33}";
// Name the extension registers under.
inline constexpr const char *kShellExtensionName = "Brxext";
// Document type of archives in the file associations.
inline constexpr const char *kDocumentTypeName = "BrindleX.Document";
