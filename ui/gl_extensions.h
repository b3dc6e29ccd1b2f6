#pragma once
// The probe of the OpenGL implementation: version, extension list, entry points and availability flags.
#include <string>

// Multitexture entry points, fetched whatever the flags say. Kept in a record of their own
// because <GL/gl.h> already declares functions of the same names.
struct multitex_procs {
  void (*glActiveTextureARB)(unsigned int texture) = nullptr;
  void (*glClientActiveTextureARB)(unsigned int texture) = nullptr;
  void* glMultiTexCoordARB[32] = {};  // glMultiTexCoord1dARB ... glMultiTexCoord4svARB, in kMultiTexCoordNames order
};
extern multitex_procs multitex;

// The pixel-buffer entry points (wglCreatePbufferARB ... wglSetPbufferAttribARB); all eight or none.
extern void* pbuffer_procs[8];

class OGL_extensions {
 public:
  // Reads the implementation's strings into ren, fetches the entry points, sets the flags, writes
  // the "OpenGL Situation" lines to the log, and tells the user when the card cannot run the program.
  void init_extensions();

  void* buffer_procs[11] = {};   // glBindBufferARB ... glGetBufferPointervARB
  void* program_procs[62] = {};  // glVertexAttrib1dARB ... glIsProgramARB
  void* query_procs[8] = {};     // glGenQueriesARB ... glGetQueryObjectuivARB

  int multitex_avail = 0, tex_clamp_avail = 0, add_env_avail = 0, combine_avail = 0, dis_fog_avail = 0,
      tex_comp_avail = 0, vbo_avail = 0, pbuffer_avail = 0, vshader_avail = 0, fshader_avail = 0,
      automini_avail = 0, aniso_avail = 0, fsaa_avail = 0, sprites_avail = 0, depth_tex_avail = 0,
      occlude_avail = 0;
  int version_code = 0;
};
extern OGL_extensions glExt;

// The version code of a GL version string: major x 100 + minor x 10 ("2.1 ..." gives 210,
// "4.5 (Compatibility Profile) Mesa" 450); a string without a leading "N.N" gives 100.
int gl_version_code(const std::string& version);
// Whether the space-separated extension list names the extension (whole names only).
bool gl_has_extension(const std::string& extensions, const char* name);
// Sets the fourteen flags that follow from the version code and the extension list alone
// (not pbuffer_avail, which depends on entry points).
void gl_flags_from(OGL_extensions& ext, int version_code, const std::string& extensions);
// Raises the fatal alert when the card lacks multitexture or predates 1.1, and the error alert
// when the renderer is a software fallback.
void gl_check_hardware(int version_code, int multitex_avail, const std::string& renderer);

// Platform: the address of a GL entry point by name (nullptr when missing) and presenting a frame.
void* gl_proc_address(const char* name);
void gl_swap_window(void* window);
