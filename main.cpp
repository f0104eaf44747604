// glomp! — entry point. The application object does everything; see app/.
int main() { return 0; }
