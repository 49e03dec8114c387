// The cabinet reader and writer live beside this file.
