// The entry point of every program built on the library.
int mav_entry(int argc, char** argv);

int main(int argc, char** argv) { return mav_entry(argc, argv); }
