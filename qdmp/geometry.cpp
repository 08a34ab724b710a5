// Rectangle and point helpers, and the library state.
