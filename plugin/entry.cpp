// The entry point and the registration.
