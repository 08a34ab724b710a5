// The host call glue: ITCallApplication and the Player wrappers.
