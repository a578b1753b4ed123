package launchertest;

/** A main class that cannot be initialised, as a desktop application started without a display (its toolkit throws). */
public final class BadInit {
    static final String GREETING;

    static {
        if (System.getProperty("java.version") != null) throw new IllegalStateException("no display here");
        GREETING = "never";
    }

    public static void main(String[] args) {
        System.out.println(GREETING);
    }
}
