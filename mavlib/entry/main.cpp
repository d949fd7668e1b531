int mav_entry(int argc, char** argv);
int main(int argc, char** argv) { return mav_entry(argc, argv); }
