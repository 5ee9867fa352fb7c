// The shared module is the core library, whole; nothing of its own lives here.
