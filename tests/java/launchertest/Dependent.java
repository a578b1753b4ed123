package launchertest;

/** A main class that is there, but whose superclass may not be. */
public final class Dependent extends Dependency {
    public static void main(String[] args) {
        System.out.println("started");
    }
}
