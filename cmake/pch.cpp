// The translation unit that compiles a shared set of precompiled headers.
