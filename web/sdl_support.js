// What SDL2's own emscripten code (built from Debian's source, not as
// emscripten's SDL port, which adds these itself) calls in emscripten's
// library: a function that depends on them pulls them into the build.
mergeInto(LibraryManager.library, {
  vm_sdl_support__deps: ['$autoResumeAudioContext', '$dynCall'],
  vm_sdl_support: function() {},
});
