// Codecs of the ZIP engines live beside this file.
