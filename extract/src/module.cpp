// The catalogue and extraction exports live in the files beside this one.
