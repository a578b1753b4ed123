package launchertest;

/** A class the launcher finds but cannot start: its entry point is not main(String[]). */
public final class NoMain {
    public static void start(String[] args) {
        System.out.println("not the entry point the launcher calls");
    }
}
